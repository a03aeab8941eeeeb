/* Register map of a peripheral, as board support code writes it. */
#define REG_BASE 0x40021000UL
#define MASK_ALL 0xFFFFFFFFFFFFFFFFULL
#define BIT(n) (1ULL << (n))
#if MASK_ALL == 0xFFFFFFFFFFFFFFFFull && BIT(40) > 0xFFFFFFFFu
#define WIDE_OK 1
#endif

typedef unsigned long long u64;

unsigned long long mask = MASK_ALL;
const u64 bit40 = BIT(40);
long long offset = -1LL;
unsigned long base = REG_BASE;
unsigned long count = 10lu;
unsigned char flags = 0b1010;
int wide_ok = WIDE_OK;
enum field { F_LOW = 0x1ull, F_HIGH = 0x8000000000000000ULL >> 62, F_BIN = 0b110 };
char bits[0b100];
u64 table[2] = { 1LLU, 0x10Ull };

u64 read_reg(u64 offset_in)
{
  return offset_in & 0xFFULL;
}

/* What no compiler reads: a warning at each, the rest of the file kept. */
int bad_mixed = 1lL;
int bad_twice = 1uu;
int bad_empty = 0b;
int bad_digit = 0b2;
#if 1uu
int never;
#endif
int after_bad = 0b1;
