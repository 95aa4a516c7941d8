// Replaced as the file layer is built.
