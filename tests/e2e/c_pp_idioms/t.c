#pragma once
#include "once.h"
#include "./once.h"
#include "link.h"
/* Preprocessor idioms of widely used C code: GNU comma elision, __VA_OPT__,
   #pragma once reached through several spellings of one header, #line
   without a file name, __BASE_FILE__ and __FILE__. */
#define LOG(fmt, ...) log_impl(fmt, ## __VA_ARGS__)
#define PROTO(ret, name, ...) ret name(int first, ## __VA_ARGS__)
#define PROTO_OPT(ret, name, ...) ret name(int first __VA_OPT__(,) __VA_ARGS__)
#define NAMED(ret, name, rest...) ret name(int first, ## rest)
void log_impl(const char *fmt, ...);
PROTO(int, no_extra);
PROTO(int, two_extra, int a, int b);
PROTO_OPT(int, opt_none);
PROTO_OPT(int, opt_one, long c);
NAMED(int, named_none);
NAMED(int, named_one, short d);
int run(int x)
{
  LOG("x");
  LOG("x=%d", x);
  return no_extra(x) + opt_none(x) + named_none(x);
}
#line 200
int at_line_200[__LINE__];
const char base_name[] = __BASE_FILE__;
const char file_name[] = __FILE__;
int file_size[sizeof(__FILE__)];
int base_size[sizeof(__BASE_FILE__)];
