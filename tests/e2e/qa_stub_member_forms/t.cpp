int use_store(int k) { return k; }
