typedef unsigned int u32;
struct range { u32 low; u32 high; };
