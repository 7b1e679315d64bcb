// The code of the stand-in socket libraries that the Windows tests build: none. Each library
// is its export list (socket_standin_*.def), every entry forwarded to ws2_32.dll.
