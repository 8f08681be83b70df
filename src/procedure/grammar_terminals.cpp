// The grammar's terminal symbols in table order (their codes are their
// positions plus 1): token classes, reserved entries, then the operators and
// keywords. A keyword written with a trailing "$" is matched without it.
#include "procedure/grammar_terminals.h"

namespace {

constexpr std::string_view kTerminals[kTerminalCount] = {
    "ENDJB", "NAMEX", "QS", "INT", "NBR", "COMPOUND", "FMT", "DATE", "TIME", "DATETIME", "MISSING",
    "VLITERAL", "CATNAME", "KOVDS", "RESERVED1", "RESERVED2", "RESERVED3", "RESERVED4", "RESERVED5",
    "!", "!!", "$", "$NEVER$$$", "$notdoneyet$", "%%L", "%%TA", "%%Y", "&", "(", ")", "*", "**",
    "+", ",", "-", ".", "/", "//$", ":", "<", "<=", "<>", "=", ">", "><", ">=", "@", "@@", "ABORT",
    "ADJSSE", "AFTER", "ALL", "ALPHA", "AND", "ARMGOLD$", "ARRAY", "AT", "ATTRIB", "BC", "BEST",
    "BIAS", "BLKSIZE=", "BOOT", "BOOTCI", "BOOTCORR", "BOOTCOV", "BOOTDATA", "BOOTPLOTS",
    "BOOTSTRAP", "BOTH", "BOUND$", "BOUNDS", "BOXSBIAS$", "BY", "CALL", "CCURV", "CHAR",
    "CHARACTER", "CHECKDER", "CI", "CMT", "COL=", "COLUMN=", "CON$", "CONFCURV", "CONT$",
    "CONTINUE", "CONTLEG", "CONTRAST", "CONTROL", "CONVERGE", "CONVERGENCE$", "CONVERGEOBJ",
    "CONVERGEPARM", "CONVERGEPARMS$", "CORR", "COV", "CUBIC", "DATA", "DATASET", "DEBUG$",
    "DEBUGD$", "DECLARE", "DEFAULT", "DELETE", "DELETEFUNC", "DELETESUBR", "DELFUNC$", "DELSUBR$",
    "DER", "DERIVATIVES", "DERIVS", "DESCENDING", "DF", "DGP", "DIAGNOSTICS", "DIAGNOSTICSPANEL$",
    "DICTIONARY", "DNARY", "DO", "DOUBLE", "DROP", "DROPOVER", "DUD", "DUPLICATE", "ECORR", "ECOV",
    "EDER", "EFORMAT", "ELSE", "END", "ENDFUNC", "ENDSUB", "EPSILON", "EQ", "ESS", "ESTIMATE",
    "EXTERNC", "FILE", "FILENAME=", "FILEVAR=", "FIT", "FITPLOT$", "FLOAT", "FLOW", "FLOWOVER",
    "FORMAT", "FUNC$", "FUNCTION", "G4", "G4SINGULAR", "GAUSS", "GE", "GO", "GOLDEN", "GOTO",
    "GRADIENT", "GROUP", "GT", "H", "HALVE", "HASH", "HASHEXP", "HEADER=", "HIST", "HITER", "HOUG$",
    "HOUGAARD", "ID", "IF", "IN", "INC", "INCLUDE", "INPUT", "INT$", "ITER", "ITERATIONS", "J",
    "JAC", "JACKKNIFE", "JACOBIAN$", "KEEP", "KIND", "L95", "L95M", "LABEL", "LABELOBS", "LCL",
    "LCLM", "LE", "LEAVE", "LENGTH", "LEVERAGETYPE", "LINE=", "LINESIZE=", "LINESLEFT=", "LINK",
    "LIST", "LISTALL", "LISTCODE", "LISTDEP", "LISTDER", "LISTFUNC", "LISTSUBR", "LL=", "LMAX",
    "LOG", "LONG", "LRECL=", "LS=", "LST$", "LT", "MARQUARDT", "MAXINCURV", "MAXITER", "MAXPECURV",
    "MAXSUBIT", "MAXSUBITER$", "METHOD", "MOD", "MODEL", "MP", "MSE", "N=", "NE", "NEWTON", "RUVA",
    "RUVAMEASURES", "NOBS", "NOCLI", "NOCLM", "NODEPENDENTS", "NODEPS", "NODF$", "NOHALF",
    "NOHALVE", "NOITPRINT", "NOLIMITS", "NONE", "NONLINEARITY$", "NOPAD", "NOPRINT", "NORMAL",
    "NOSYM", "NOSYMBOLS", "NOT", "NOTIN", "NOTITLE", "NOTITLES", "NOTSORTED", "NPARM", "NSAMPLES",
    "NTHREADS$", "NUMERIC", "OBJECT", "OBS", "OBSERVATIONS$", "OF", "OLD", "OR", "ORDERED",
    "OTHERWISE", "OUT", "OUTARG$", "OUTARGS", "OUTEST", "OUTLINE", "OUTLINEGRADIENT", "OUTPUT", "P",
    "PAD", "PAGESIZE", "PAGESIZE=", "PARAMETER", "PARAMETERS", "PARM", "PARMS", "PDATA", "PERC",
    "PLOT", "PLOTS", "POINTER$", "PRED", "PREDICTED", "PRES", "PRICE", "PRICING", "PRINT",
    "PROFDATA", "PROFILE", "PROFILET", "PROJ", "PROJECT", "PROJECTED$", "PROJRES", "PROJSTUDENT",
    "PRSTUD", "PS", "PS=", "PUT", "PVAR", "QUAD$", "R", "RANGE", "RAW", "RECFM=", "REP", "REPLACE",
    "RES", "RESEXPEC", "RESIDUAL", "RESIDUALPLOT$", "RESIDUALS", "RESIDUALSPANEL$", "RESIDUALTYPE",
    "RESTRICT", "RETAIN", "RETURN", "REXPEC", "RHO", "RMSINCURV", "RMSPECURV", "SAVE", "SCATTER",
    "SE", "SEARCH$", "SEARCHMETHOD$", "SEED", "SELECT", "SHORT", "SIGSQ", "SINGULAR", "SKEW$",
    "SMETHOD", "SMOOTH", "SSE", "STATIC", "STATS", "STDI", "STDP", "STDR", "STEP", "STOP",
    "STOPOVER", "STRUCT", "STUDENT", "SUB$", "SUBROUTINE", "SUBSTR", "SYMMETRIC", "T", "TAN",
    "TANGENTIAL$", "TAU", "THEN", "TO", "TOTALSS", "TPLOT", "TRACE", "TRANS", "U95", "U95M", "UCL",
    "UCLM", "UNCORRECTEDDF", "UNPACK", "UNPACKPANEL", "UNTIL", "VAR", "VARARG", "VARARGS",
    "VARCHAR", "WEIGHT", "WHEN", "WHILE", "WILD", "XREF", "ZETA$", "[", "]", "^", "^<", "^=", "^>",
    "_ALL_", "_CHARACTER_", "_CHAR_", "_NUMERIC_", "_PAGE_", "_PDV_", "_TEMPORARY_$",
    "__PGSEGMENT__", "__PROCINSERT__", "{", "|", "||", "}", "~", "~<", "~=", "~>", "$$$",
};

}  // namespace

std::span<const std::string_view> grammar_terminals() { return kTerminals; }
