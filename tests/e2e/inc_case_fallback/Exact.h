int other_spelling;
