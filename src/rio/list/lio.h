// List-directed records: the item writers, for the run-time and its tests.
#pragma once

#include <cstdint>
#include <cstdio>

#include "rio.h"

namespace rio {

// Line length of list-directed output: 80.
extern int32_t L_len;

// Set by the list-directed starts and read by nothing in the run-time (see
// internal.h): the quoting of text items (always 0), the state of value
// input (cleared at a read's start), its character source and push-back.
extern int32_t f__Aquote, f__lquit, f__lcount, l_eof;
extern int (*l_getc)();
extern int (*l_ungetc)(int, FILE*);

int32_t c_le(const cilist* a);
int l_write(const int32_t* number, const char* ptr, int32_t len, int32_t type);
int l_read(const int32_t* number, const char* ptr, int32_t len, int32_t type);
void lwrt_I(int64_t n);
void lwrt_F(double n);
void lwrt_A(const char* p, int32_t len);
int l_g(char* buf, double n);
char* f__icvt(int64_t value, int* ndigit, int* sign, int base);
int t_getc();

}  // namespace rio
