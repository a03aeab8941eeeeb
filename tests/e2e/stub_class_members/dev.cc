class Dev {
public:
  int open(int mode);
  int close();
  virtual int reset() = 0;
private:
  int hidden(int);
};
int Dev::open(int mode) { return mode; }
