/* globals: grid_origin; functions: Vec3_length Handle_get Handle_Handle take; types: Vec3 Handle Cell Grid */
// Classes whose script declarations must keep the source's meaning: an
// alignment in the class head changes the layout, a defaulted or deleted
// member left without "= default" or "= delete" would be a function no one
// defines (and a copy the source forbids).
struct alignas(16) Vec3 {
  float v[3];
  Vec3() = default;
  float length() const;
};
float Vec3::length() const { return v[0] + v[1] + v[2]; }

class Handle {
 public:
  explicit Handle(int fd);
  Handle(const Handle &) = delete;
  Handle &operator=(const Handle &) = delete;
  virtual ~Handle() = default;
  int get() const;

 private:
  int fd_;
};
Handle::Handle(int fd) : fd_(fd) {}
int Handle::get() const { return fd_; }

template <typename T> struct alignas(8) Cell {
  T value;
};
struct Grid {
  Cell<char> corner;
  Vec3 origin;
};
Grid grid_origin;

int take(const Handle &h, double) { return h.get(); }
