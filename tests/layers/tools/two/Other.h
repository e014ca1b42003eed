// another program
