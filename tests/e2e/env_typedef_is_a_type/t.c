/* A typedef name is a type: no VAR line for it. */
typedef int count_t;
typedef struct node { int v; } node_t;
count_t total;
node_t head;
