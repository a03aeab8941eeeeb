class Data { public: int x; int y; };
class Shape { public: int area(); Data origin; };
class Timer { public: void start(); };
int Shape::area() { return 0; }
void Timer::start() { }
