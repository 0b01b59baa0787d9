// What a complete run writes, with the platform's line ends.
#pragma once

#include <string>

#include "platform.h"

namespace testing_support {

inline const std::string kConsole = stored(
    "\n"
    " Slip Velocity Function using Smooth Ramp Distribution\n"
    "\n"
    "  dt,nt=  0.01 8192\n"
    "  fc (Hz) and Tau(s)=  0.263157895  3.8\n"
    "\n"
    "  Slip functions are stored in Ramp_Slip.csv\n"
    "  Fourier spectrum is stored in Ramp_Amp.csv\n"
    "\n"
    "  DUR,DOM,NOM,EOM=  81.92  0.0766990394 4096  314.159265\n"
    "  Highest Frequency (hz)=  50.\n"
    "\n"
    " Hit any key to stop\n");

// The console records written before Ramp_Slip.csv is opened, and before
// Ramp_Amp.csv is.
inline const std::string kConsoleBeforeFiles =
    kConsole.substr(0, kConsole.find(stored("\n\n  DUR")) + kLineEnd.size());
inline const std::string kConsoleBeforeAmpFile =
    kConsole.substr(0, kConsole.find(stored("\n\n Hit")) + kLineEnd.size());

}  // namespace testing_support
