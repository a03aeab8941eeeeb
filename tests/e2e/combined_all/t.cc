#include <types.h>
#include "api.h"
#ifdef WITH_LOG
#include <log.h>
#endif
#if LIMIT > 4
#define BUFFER LIMIT
#endif
class Tester;
class Queue {
  friend class Tester;
public:
  int push(u32 v);
  int size() const;
private:
  int slots[BUFFER];
  int count;
};
int Queue::push(u32 v) { slots[count++] = v; return count; }
int Queue::size() const { return count; }
struct range window;
Queue main_queue;
static int pending;
int flush(struct range *r, int limit) { return r->high - r->low + limit + api_call(1); }
