old: kept
