class Tester;
class Stack {
  friend class Tester;
public:
  Stack(int size);
  ~Stack();
  void push(int v);
  int operator[](int i) const;
  static int count;
  int top;
  int data[10];
private:
  int check(int n);
};
Stack::Stack(int size) { top = 0; }
Stack::~Stack() { }
void Stack::push(int v) { data[top++] = v; }
int Stack::operator[](int i) const { return data[i]; }
int Stack::count = 0;
int Stack::check(int n) { return n; }
