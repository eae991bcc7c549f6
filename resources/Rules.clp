; placeholder
