/* globals: buffer_count; functions: Pool_Pool Pool_take release_all; types: Pool */
#include <memory>
int buffer_count;
class Pool {
 public:
  Pool(int size);
  int *take();
 private:
  std::allocator<int> alloc_;
  int size_;
};
Pool::Pool(int size) : size_(size) {}
int *Pool::take() { ++buffer_count; return alloc_.allocate(1); }
void release_all(Pool *p) { buffer_count = 0; }
