// Former name of the shell's test support header, kept for the tests that include it.
#pragma once
#include "tests/support/shell_support.h"
