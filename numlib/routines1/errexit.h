// The status convention of numerical routines I: the library's advisory
// and error units, the common error exit, and the small helpers every
// routine of the library uses to report failures.
//
// Every public routine ends with an integer status IFAIL.  On entry it
// chooses the failure behaviour (0: message and stop, 1: silent return,
// -1: message and return; see ERREXIT); on exit it holds the routine's error
// number, 0 for success.  Arrays are passed as spans so that no routine can
// reach past what it was given.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace orv::num1 {

// IFLAG 0: IUNIT receives the advisory unit; 1: the advisory unit becomes
// IUNIT; anything else: nothing.  The unit starts as 6, the engine window.
void ADVUNIT(int iflag, int& iunit);
// The same for the error unit, where failure messages go.
void ERRUNIT(int iflag, int& iunit);

// Decides from the entry IFAIL whether the NREC records REC are printed on
// the error unit with the exit line of SRNAME, and whether the run stops
// (HARDSTOP) or control returns.  Returns IERROR.
int ERREXIT(int ifail, int ierror, std::string_view srname, int nrec, std::span<const std::string> rec);

// Writes REC without its trailing blanks (one blank when it is all blank)
// as one record on unit NOUT; nothing when NOUT is negative.
void WRTREC(int nout, std::string_view rec);

// Report an invalid text or integer argument PNAME of SRNAME on the error
// unit (unless IFAIL asks for silence) and add 1 to NERR.
void PARERRC(std::string_view value, std::string_view pname, int ifail, int& nerr, std::string_view srname);
void PARERRI(int ivalue, std::string_view pname, int ifail, int& nerr, std::string_view srname);

// Ends the run as a STOP without a code does.  Unwinds to the program's stop
// path; never returns.
[[noreturn]] void HARDSTOP();

// Positions (from 1) of the first and last non-blank characters of TEXT;
// both 0 when it is all blank.
void NBLIMS(std::string_view text, int& ifirst, int& ilast);

// SCALE, an exact power of the base, brings ANORM into [SMALL, BIG]; FLAG
// is -1 when scaling is needed, 0 otherwise (SCALE is then 1).
void SCLFAC(double anorm, double small, double big, double& scale, int& flag);

}  // namespace orv::num1
