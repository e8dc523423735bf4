// Identifiers of the viewer's resources.
#pragma once

#define IDD_VIEWER 101
#define IDI_VIEWER 102
