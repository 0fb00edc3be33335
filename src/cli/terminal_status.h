// Brenvik: the console's progress line at a terminal.
#ifndef BRENVIK_CLI_TERMINAL_STATUS_H_
#define BRENVIK_CLI_TERMINAL_STATUS_H_

/// Where standard output is a terminal, shows the progress of long
/// rebuilds as a line redrawn in place, and erases that line before each
/// message so the messages read as they would without it. Elsewhere (a
/// pipe, a file) it does nothing: messages go out as they are.
void install_terminal_status();

#endif  // BRENVIK_CLI_TERMINAL_STATUS_H_
