// The settings of one job, filled by the command-file reader in command-file
// order and owned by the main program for the whole run.
//
// Text fields are blank-padded to their declared width, as the reader's
// list-directed and formatted reads leave them; words are compared in that
// form (upper case, padded).  File names read from the command file, and the
// command file's path and directory, are never cut: their fields are as wide
// as a Linux path can be, and users trim their trailing blanks.
#pragma once

#include <string>
#include <vector>

#include "engine/common/fields.h"

namespace orv::engine {

// Widest file name a command file may give (Linux PATH_MAX).
inline constexpr std::size_t kPathWidth = 4096;

struct JOBSET {
    std::string JOBTTL = blank_text(80);  // >TITLE: columns 8-87, case kept
    std::string DATFIL = blank_text(kPathWidth);
    int NVAR = 0;
    int NSUBJ = 0;
    std::string ITMKEY = blank_text(7);   // ">ITEMS:" exactly when the item line was given
    std::string ITMNAM = blank_text(kPathWidth);
    std::string OUTFIL = blank_text(kPathWidth);
    std::string VERBOS = blank_text(5);   // SHORT or LONG
    std::string METRIC = blank_text(2);   // CO DI DC CD OR IP
    std::string DATTYP = blank_text(4);   // RAW COR FLD1 FLD2
    std::string SMOOPT = blank_text(2);   // only SM acts
    std::string PHIFIL = blank_text(kPathWidth);
    std::string CPRFIL = blank_text(kPathWidth);
    int CPRFLG = 0;                       // 1 when guessing parameters were read
    std::string MODTYP = blank_text(4);   // PFA PCA ROT TRP CMT (not checked)
    int NFAC = 0;
    std::string LABOPT = blank_text(15);  // LABELS or NOLABELS
    std::string SRTOPT = blank_text(15);  // SORT or NOSORT
    std::string ROTMTH = blank_text(8);   // VARIMAX WVARIMAX NONE OBLIMIN PROMAX HK
    std::string ROTNAM = blank_text(25);  // display name of the rotation
    double DELTA = 0.0;                   // Oblimin delta
    int POWER = 0;                        // Promax power
    double HKPAR = 0.0;                   // Harris-Kaiser parameter
    std::string SCRMTH = blank_text(8);   // REG BART NOSCORE NONE
    std::string PLTOPT = blank_text(8);   // ALL LOADINGS SCORES NONE

    // Technical parameters and their defaults when >TECHNICAL: is absent.
    double COMP_EPS = 0.0001;
    int MAXIT = 200;
    double ROT_EPS = 0.0001;
    int ROT_MAXIT = 200;
    std::string RNDSTRTS = "T";
    double HYPER_WIDTH = 0.2;
    std::string INIT_COM = "ONE";
    int PAGEWIDTH = 130;
    std::string OUTPUT = "F";

    double NOUTM = 0.0;                                     // count on >OUTPUT: as read
    std::vector<std::string> OUTCOD = std::vector<std::string>(8, blank_text(3));
    std::string DATFMT = blank_text(80);                    // >FORMAT: columns 9-88

    std::vector<std::string> VARLAB;  // NVAR labels of 15 characters
    std::vector<std::string> ITMTXT;  // NVAR item texts of 200 characters
    std::vector<double> CPARM;        // NVAR guessing parameters (those read until the data are in)

    std::string JOBPTH;  // the command file's full path
    std::string JOBDIR;  // its directory with the trailing "/", empty when none
    std::string JOBBAS = blank_text(15);  // its name, first 15 characters
};

// The rotation families of ROTMTH: an orthogonal rotation hands on rotated
// loadings, an oblique one a pattern and a structure.
inline bool orthogonal_rotation(const JOBSET& job) {
    return is_word(job.ROTMTH, "VARIMAX") || is_word(job.ROTMTH, "WVARIMAX");
}
inline bool oblique_rotation(const JOBSET& job) {
    return is_word(job.ROTMTH, "OBLIMIN") || is_word(job.ROTMTH, "PROMAX") || is_word(job.ROTMTH, "HK");
}

// The metrics whose raw data are scored: continuous and ipsatized.
inline bool scored_metric(const JOBSET& job) { return is_word(job.METRIC, "CO") || is_word(job.METRIC, "IP"); }

}  // namespace orv::engine
