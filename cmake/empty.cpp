// Keeps the GUI library non-empty while its folders fill up.
