enum { QUEUE_LEN = 6 };
enum prio { PRIO_LOW, PRIO_HIGH, PRIO_COUNT };
int queue[QUEUE_LEN];
int per_prio[PRIO_COUNT];
int queue_push(int v) { return v; }
