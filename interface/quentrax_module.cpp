// Module entry of the shared library. The exported functions join this file as they are built.
#include "MorseCode.h"
