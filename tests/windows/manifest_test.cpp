// The program's manifest as Windows reads it from the resources (this test
// program is built with the same resource script): per-monitor v2 DPI
// awareness with system awareness for older systems, and no code page of its
// own, so the ANSI code page stays the system's (1252 or 932).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// A setting of the process's manifest, or "(none)" when it has none.
std::wstring Setting(const wchar_t* schema, const wchar_t* name) {
  wchar_t value[128] = {};
  SIZE_T written = 0;
  if (!QueryActCtxSettingsW(0, nullptr, schema, name, value, sizeof value / sizeof value[0], &written)) {
    return L"(none)";
  }
  return value;
}

TEST(ManifestTest, DeclaresPerMonitorV2AwarenessAndKeepsTheCodePage) {
  EXPECT_EQ(Setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"),
            L"PerMonitorV2, System");
  EXPECT_EQ(Setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware"), L"true");
  EXPECT_EQ(Setting(L"http://schemas.microsoft.com/SMI/2019/WindowsSettings", L"activeCodePage"), L"(none)");
}

}  // namespace
