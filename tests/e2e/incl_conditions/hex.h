int from_hex;
