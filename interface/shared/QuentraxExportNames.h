// The name under which quentrax.dll exports a function, for programs that look it up at run
// time: 32-bit Windows keeps the decorated standard-call name of the three functions its
// module definition file leaves decorated (name, and the bytes its arguments take on the stack);
// everywhere else the plain name. Use it only for those three.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define QUENTRAX_EXPORT_NAME(name, bytes) "_" #name "@" #bytes
#else
#define QUENTRAX_EXPORT_NAME(name, bytes) #name
#endif
