// zngroups change ...: every group change of the library, and the questions about changes.
#pragma once

// argv holds what follows "change"; the exit status of the command.
int ChangeCommand(const char* domain, int argc, char** argv);
// status NUMBER, log-entry NUMBER, logs GROUP.
int ChangeQuery(const char* domain, const char* command, const char* argument);
