// read-out tests
