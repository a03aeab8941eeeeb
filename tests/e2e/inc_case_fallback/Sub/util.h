int util(int x);
