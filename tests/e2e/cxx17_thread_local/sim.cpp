thread_local int sim_counter;
namespace store {
thread_local char last_key[16];
int put(int key, int value) { return key + value; }
int put(const char *key) { return key != 0; }
namespace disk { long flush(long, int) { return 0; } }
}
