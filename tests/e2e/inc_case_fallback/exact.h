int exact_wins;
