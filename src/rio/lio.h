// List-directed records: the item writers, for the run-time and its tests.
#pragma once

#include <cstdint>

namespace rio {

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
