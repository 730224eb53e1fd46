// cardload: the SSFDC loader utility, a console program that prepares and fills SmartMedia
// cards for Kestra panels from its command line.
//
// The command line is read in passes: reader settings first ("/port", "/card",
// "/diswcedlg"), then the card is set up, then the code settings ("/pathcode",
// "/flagcode"), then "/code" (the code selection dialog) and "/format" (which removes the
// file system header, so that the action pass formats anew), and last the actions, left to
// right, until one that ends the run; options after that one are named on standard error as
// not run. Numbers are decimal, or hexadecimal after "0x". "--help", "-h" or "/?" anywhere
// prints the usage and runs nothing. Messages appear in message boxes (lines on standard
// error without a display); card information, versions, lists and the usage go to standard
// output.
//
// Exit codes: 0 after a normal run, after a missing value and for a help request, -1 without
// options, 1 when the code selection dialog asks to quit, else the error code of the card
// operation that failed (of which the system keeps the low 8 bits).
#pragma once

int RunCardLoader(int argc, char** argv);
