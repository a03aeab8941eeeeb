enum { SLOTS = 4, WIDTH = 8 };
typedef enum { MODE_A, MODE_B } mode_t2;
enum { LOW, HIGH } level;
struct grid { int cells[SLOTS][WIDTH]; } main_grid;
int slots[SLOTS];
mode_t2 mode;

int lookup(int i) { return slots[i]; }
