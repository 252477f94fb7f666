#pragma once

// Resource ids shared by the program's code and its resource script.
#define IDI_MORVANE 1
