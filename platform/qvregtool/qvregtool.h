// qvregtool: gets or sets one registry value from the shell.
#pragma once

int RunQvregtool(int argc, char** argv);
