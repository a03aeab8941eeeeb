static int hidden;
static int helper(int v) { return v; }
class Counter {
public:
  int value;
  static int instances;
  void bump();
};
void Counter::bump() { value++; }
int visible;
