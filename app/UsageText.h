#pragma once
// kUsageText: the help shown at start-up for -h (and by the headless front end). It holds no
// '%', so passing it through printf-style formatting leaves it unchanged.

inline constexpr const char* kUsageText =
    "Usage: upgrade [-n] [-e] [-f] [-h] [-s pgmSize][-u username] [-p password] [-b boot-file]\n"
    "[-c code-file] [-o com-port]\n"
    "\n"
    "Options:\n"
    "\t-n\t\tNon-interactive mode.\n"
    "\t-e\t\tErase the contents of flash.\n"
    "\t-f\t\tDownload at 115,200 bps.\n"
    "\t-h\t\tDisplay this help message.\n"
    "\t-s pgmSize\tSet the size of the program files that will be downloaded.\n"
    "\t-u username\tConsole login username.\n"
    "\t-p password\tConsole login password.\n"
    "\t-b boot-file\tFully specified path of Boot file.\n"
    "\t-c code-file\tFully specified path of Code file.\n"
    "\t-o com-port\tCom port 'COM1' or 'COM2'.";
