// The viewer's texts, as code page 932 byte strings for the ANSI window
// functions.
#pragma once

// Format of the title caption: the name, one blank, the version.
inline constexpr char kTitleFormat[] = "%s %s";
// The system's name, first part of the title caption.
inline constexpr char kProductName[] = "Rastelle";
// The version, second part of the title caption.
inline constexpr char kVersion[] = "ver 0.1";
// Format of the zoom caption, the zoom in per cent; its line feed is part of
// the window text.
inline constexpr char kZoomFormat[] = "%g %%\n";
// エラー: error; the caption after a failed drop.
inline constexpr char kErrorCaption[] = "\x83\x47\x83\x89\x81\x5B";
// ビットマップファイルをドラッグアンドドロップしてください: please drag and drop a
// bitmap file; painted while no image is loaded.
inline constexpr char kPrompt[] =
    "\x83\x72\x83\x62\x83\x67\x83\x7D\x83\x62\x83\x76\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xF0\x83\x68"
    "\x83\x89\x83\x62\x83\x4F\x83\x41\x83\x93\x83\x68\x83\x68\x83\x8D\x83\x62\x83\x76\x82\xB5\x82\xC4"
    "\x82\xAD\x82\xBE\x82\xB3\x82\xA2";
// The prompt's length in bytes: 28 characters of two bytes each.
inline constexpr int kPromptLength = sizeof kPrompt - 1;
static_assert(kPromptLength == 56);
// Trace of the path taken from the command line.
inline constexpr char kTracePath[] = "%s\n";
// Trace of a dropped path.
inline constexpr char kTraceDroppedPath[] = "\n%s\n";
// The message box shown when message retrieval fails, and its caption.
inline constexpr char kMessageLoopError[] = "GetMessage ERR";
inline constexpr char kMessageLoopErrorCaption[] = "Error";
