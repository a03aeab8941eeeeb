#define TARGET_INT long
