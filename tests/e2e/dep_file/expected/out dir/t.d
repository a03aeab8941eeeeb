@DIR@/out\ dir/t.ptu: \
  @DIR@/t.c \
  @DIR@/a.h \
  @DIR@/i.c
