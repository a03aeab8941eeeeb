/* globals: table_lock worker_count; functions: worker_main start_worker */
#include <pthread.h>
pthread_mutex_t table_lock = PTHREAD_MUTEX_INITIALIZER;
int worker_count;
void *worker_main(void *arg) { pthread_mutex_lock(&table_lock); worker_count++; pthread_mutex_unlock(&table_lock); return arg; }
int start_worker(pthread_t *thread) { return pthread_create(thread, NULL, worker_main, NULL); }
