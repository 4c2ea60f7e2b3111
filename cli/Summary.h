// The run summary moved to report/, which the page shares with the command line.
#pragma once

#include "report/Summary.h"
