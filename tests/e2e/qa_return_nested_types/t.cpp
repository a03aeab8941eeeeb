class Counter {
public:
    typedef unsigned long Count;
    struct Snap { Count c; };
    Count value() const { return n_; }
    Snap snap() const { Snap s = { n_ }; return s; }
    Count n_;
};
Counter::Count total(const Counter &c) { return c.value(); }
