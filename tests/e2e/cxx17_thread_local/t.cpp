// A thread's own object stays one in every declaration the script writes;
// a template instance that cannot be made is reported once, where it is used
// (a self-referring one is made).
thread_local int per_thread;
static thread_local int hidden_per_thread;
extern thread_local long declared_elsewhere;
namespace pool { thread_local unsigned slots = 4; int take(int n) { return n + per_thread; } }
template <class T> struct Chain { Chain<Chain<T>> *next; T v; };
Chain<int> *chain_head;
template <class K, class V> struct Pair { K k; V v; };
Pair<int> half_pair;
int count(int n) { return n + hidden_per_thread; }
