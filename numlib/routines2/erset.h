// The error machinery of numerical routines II: the error stack, typed
// messages with insertion fields, their print and stop attributes, and the
// standard argument checkers.
//
// Every routine pushes its name with E1PSH when it starts and pops it with
// E1POP when it ends (an ErrorLevel does both); in between it raises
// messages with E1MES.  Types:
// 1 note, 2 alert, 3 warning, 4 fatal, 5 terminal, 6 immediate warning,
// 7 immediate fatal.  Whether a message is printed and whether it stops the
// run is decided per type by the attributes (ERSET).  Messages go to the
// message unit of UMACH.  A stop unwinds as rt::Stop to the program's stop
// path.  All of it is process-wide state, set up on first use.
#pragma once

#include <string_view>

namespace orv::num2 {

// Print action IPACT and stop action ISACT for severity IERSVR (0 all types,
// 1 note, 2 alert, 3 warning and immediate warning, 4 fatal and immediate
// fatal, 5 terminal); actions 0 off, 1 on, 2 default, -1 unchanged.
void ERSET(int iersvr, int ipact, int isact);
// The code of the last error when its type is 1..4, else 0.
int LSTERR();
// Error type / code at the current level (IOPT 0) or one level deeper (1).
int N1RTY(int iopt);
int N1RCD(int iopt);

void E1PSH(std::string_view name);
void E1POP(std::string_view name);
// One level of the error stack for a routine's call: E1PSH(NAME) when made,
// E1POP(NAME), with its printing and stopping, when the routine returns by
// any path.  A level that an exception leaves (a stop, a misuse, a short
// array) is not popped: the run's stop path takes over from there, as it
// does after a hand-written push.  pop() pops at once, for a routine that
// throws after its level is done.  NAME must outlive the level.
class ErrorLevel {
public:
    explicit ErrorLevel(std::string_view name);
    ~ErrorLevel() noexcept(false);
    ErrorLevel(const ErrorLevel&) = delete;
    ErrorLevel& operator=(const ErrorLevel&) = delete;
    void pop();

private:
    std::string_view name_;
    int exceptions_;  // in flight when the level was made
    bool popped_ = false;
};

// Raises a message of type IETYPE (-1 keeps the level's) and code IERCD
// (negative keeps the level's) at the current level.
void E1MES(int ietype, int iercd, std::string_view msg);
// Values for the insertion fields %(I#), %(D#), %(L#) of the next message.
void MSGINT(int ii, int ivalue);
void MSGDBL(int id, double dvalue);
void MSGTXT(int il, std::string_view text);
// Sets (IERSVR 0..7) or returns (IERSVR -7..-1) the attributes of a type.
void ERATTR(int iersvr, int& ipatt, int& isatt);

// Argument checkers: each raises a terminal message with code ICODE when its
// condition fails and adds 1 to ICODE in any case.
void CHKIRG(int ivalue, std::string_view name, int ilow, int ihigh, int& icode);
void CHKORD(int ival1, std::string_view name1, int ival2, std::string_view name2, int& icode);
void CHKDNN(double dvalue, std::string_view name, int& icode);
void CHKNLD(int nmin, int n, std::string_view namen, int lda, std::string_view namelda, int& icode);

// Puts the machinery back to its state at the start of a run (tests only).
void reset_error_machinery();

}  // namespace orv::num2
