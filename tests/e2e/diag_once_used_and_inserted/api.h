int u;
int 9bad;
int use_me(int x);
