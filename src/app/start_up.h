// Start-up: the path named on the command line.
#pragma once

// The path in the command-line text, which is edited in place: the whole
// text, or after a leading double quote the rest of it less a double quote
// that ends it. Null for an empty text.
char* PathFromCommandLine(char* commandLine);
