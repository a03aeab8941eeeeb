enum { QUEUE_LEN = 6 };
int queue[QUEUE_LEN];
int queue_push(int v) { return v; }
