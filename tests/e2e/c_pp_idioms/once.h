#pragma once
int once_counter;
struct once_s { int a; };
