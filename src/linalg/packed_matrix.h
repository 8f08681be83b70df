// Whole-matrix operations on packed symmetric (S, A, B) and packed
// lower-triangular (L) matrices, laid out as in packed.h, and on dense
// row-major matrices (R, dense A and B) whose row stride is their column
// count. Every routine works in the caller's storage and checks no sizes; a
// count below 1 does nothing or returns 0.
//
// `add` (zmxrsr, zmxrts): 0 stores the result, any other value adds `add`
// times it. `len` (zmxls1, zmxus1): row i of L is nonzero only in columns
// i-len[i]+1 .. i, and the cells outside that profile are skipped.
#pragma once

// Scalars.
double zmxtr(double* a, int n);                       // trace of A
double zmxins(double* a, double* b, int n);           // trace(A B)
double zmxin1(double* a, double* b, int n, int span);  // sum a[k·span]·b[k·span]
double zmxin2(double* a, double* b, int n, int s1, int s2);
double zmxq1(double* x, double* a, int n, int m);     // x' A x, x with stride m
double zmxq2(double* x, double* a, int n, int m);     // x' A x, dense A
double zmxtq(double* r, double* s, int n, int m);     // trace(R' S R), R n by m
double zmxbi(double* x, double* y, double* a, int n);  // x' A y

// S times a vector of stride m: result[j] = sum_k S(j, k)·v[k·m].
void zmxvs(double* v, double* s, double* result, int m, int n);

// Congruence products, in place in s (or s2); work holds n·n doubles.
void zmxlsu(double* l, double* s, int n, double* work);            // L S L'
void zmxls1(double* l, double* s, int n, double* work, int* len);  // L S L', profiled L
void zmxusl(double* l, double* s, int n, double* work);            // L' S L
void zmxus1(double* l, double* s, int n, double* work, int* len);  // L' S L, profiled L
void zmxsss(double* s1, double* s2, int n, double* work);          // S1 S2 S1

// Triangular squares in place: l becomes the packed symmetric L L' or L' L.
void zmxllt(double* l, int n);
void zmxltl(double* l, int n);

// Products.
void zmxrl(double* r, double* l, double* result, int n, int m);  // dense R L, R n by m
void zmxsl(double* a, double* b, double* r, int n);              // dense S L
void zmxrsr(double* r, double* s, double* result, int m, int n, int add);  // R S R', R m by n
void zmxrts(double* r, double* s, double* result, int m, int n, double* work,
            int add);                                            // R' S R, R m by n
void zmxrtr(double* a, int m, int n, double* r);                 // packed A' A
void zmxrrt(double* a, int m, int n, double* r);                 // packed r += A A'
void zmxrr(double* a, double* b, double* r, int m, int n, int p);  // dense A B
void zmxss(double* a, double* b, double* r, int n);              // dense A B, packed A, B
void zmxs2(double* a, double* r, int n);                         // packed A A
void zmxss1(double* a, double* b, double* r, int n);             // packed A B + B A
void zmxout(double* a, double* b, double* result, int m, int n);  // dense result += a b'

// Cross-product accumulation without missing-value tests.
int zmxscp(double* data, int nv, double weight, double* sscp);  // 0 when weight is 0
int zmxsc1(double* data, int nv, double* sscp);

// Inverse of the packed index: toJ receives the row, toI the column of ij.
void zmxun(int ij, int* toI, int* toJ);
