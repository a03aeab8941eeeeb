class Flag {
public:
    Flag(int v) : v_(v) {}
    operator bool() const { return v_ != 0; }
    operator int() const;
    int value;
private:
    int v_;
};

Flag::operator int() const { return v_; }
