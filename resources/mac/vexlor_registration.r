/* The registration of both products' Mac bundles: the plug-in property list
   ('PiPL') and the scripting terminology ('aete') in the host's Mac form.
   The two types are declared here from that binary form, so the bundle's
   resources compile from this folder alone.

   Included by resources/mac/<product>.r after it has defined
     VX_PRODUCT_TITLE  the product title, as the product's table has it,
     VX_UNIQUE_STRING  the product's registry key (GUID form),
     VX_ENTRY_POINT    EntryPointPowerPC or EntryPointIntel: the bundle's
                       processor.

   The Mac form is big-endian.  A property's data is padded with zero bytes
   to a multiple of 4 and its length counts the padding, as in the Windows
   modules.  In the terminology a number always starts at an even offset: a
   string that ends at an odd one is followed by a zero byte. */

#define VX_REGISTRATION_ID 16000
#define VX_SUITE_ID 'mdc1'

/* Supported modes: one bit per image mode, 0x8000 >> mode. */
#define VX_MODE_GRAYSCALE 0x4000
#define VX_MODE_RGB 0x1000
#define VX_MODE_LAB 0x0040

/* Filter case flags. */
#define VX_CASE_BLANK_DATA 0x02
#define VX_CASE_LAYER_MASK 0x04
#define VX_CASE_OUTSIDE_SELECTION 0x08

type 'PiPL' {
    longint = 0;                                /* version of the list */
    longint = $$CountOf(properties);
    array properties {
        literal longint = '8BIM';               /* vendor */
        switch {
        case KindOf:
            key literal longint = 'kind';
            longint = 0;                        /* property id */
            longint = 4;                        /* data length */
            literal longint filter = '8BFM';
        case MenuTitle:
            key literal longint = 'name';
            longint = 0;
            longint = ((titleEnd[$$ArrayIndex(properties)] - titleStart[$$ArrayIndex(properties)]) / 8 + 3) / 4 * 4;
          titleStart:
            pstring;
          titleEnd:
            align long;
        case Category:
            key literal longint = 'catg';
            longint = 0;
            longint = ((categoryEnd[$$ArrayIndex(properties)] - categoryStart[$$ArrayIndex(properties)]) / 8 + 3) / 4 * 4;
          categoryStart:
            pstring;
          categoryEnd:
            align long;
        case InterfaceVersion:
            key literal longint = 'vers';
            longint = 0;
            longint = 4;
            integer;                            /* major */
            integer;                            /* minor */
        case EntryPointPowerPC:                 /* Mach-O code for PowerPC */
            key literal longint = 'mach';
            longint = 0;
            longint = ((powerPCEnd[$$ArrayIndex(properties)] - powerPCStart[$$ArrayIndex(properties)]) / 8 + 3) / 4 * 4;
          powerPCStart:
            cstring;
          powerPCEnd:
            align long;
        case EntryPointIntel:                   /* Mach-O code for 32-bit Intel */
            key literal longint = 'mi32';
            longint = 0;
            longint = ((intelEnd[$$ArrayIndex(properties)] - intelStart[$$ArrayIndex(properties)]) / 8 + 3) / 4 * 4;
          intelStart:
            cstring;
          intelEnd:
            align long;
        case ImageModes:
            key literal longint = 'mode';
            longint = 0;
            longint = 4;
            unsigned hex integer;
            fill word;
        case Terminology:
            key literal longint = 'hstm';
            longint = 0;
            longint = ((terminologyEnd[$$ArrayIndex(properties)] - terminologyStart[$$ArrayIndex(properties)]) / 8 + 3) / 4 * 4;
          terminologyStart:
            longint = 0;                        /* version */
            literal longint;                    /* class */
            literal longint;                    /* event */
            integer;                            /* terminology resource id */
            cstring;                            /* unique string */
          terminologyEnd:
            align long;
        case EnableWhen:
            key literal longint = 'enbl';
            longint = 0;
            longint = ((enableEnd[$$ArrayIndex(properties)] - enableStart[$$ArrayIndex(properties)]) / 8 + 3) / 4 * 4;
          enableStart:
            cstring;
          enableEnd:
            align long;
        case LargestImage:
            key literal longint = 'ms32';
            longint = 0;
            longint = 8;
            longint;                            /* height */
            longint;                            /* width */
        case FilterLayers:
            key literal longint = 'flly';
            longint = 0;
            longint = 4;
            boolean unsupported = 0, supported = 1;
            fill bit[31];
        case FilterCases:
            key literal longint = 'fici';
            longint = 0;
            longint = 28;
            array [7] {                         /* in the host's order of cases */
                byte whiteMatte = 4;            /* input handling */
                byte whiteMatte = 4;            /* output handling */
                unsigned hex byte;              /* flags */
                fill byte;
            };
        };
    };
};

type 'aete' {
    byte;                                       /* major version */
    byte;                                       /* minor version */
    integer;                                    /* language */
    integer;                                    /* script */
    integer = $$CountOf(suites);
    array suites {
        pstring;                                /* name */
        pstring;                                /* description */
        align word;
        literal longint;                        /* id */
        integer;                                /* level */
        integer;                                /* version */
        integer = $$CountOf(events);
        array events {
            pstring;                            /* name */
            pstring;                            /* description */
            align word;
            literal longint;                    /* class */
            literal longint;                    /* id */
            literal longint;                    /* reply type */
            pstring;                            /* reply description */
            align word;
            unsigned hex integer;               /* reply flags */
            literal longint;                    /* direct parameter type */
            pstring;                            /* direct parameter description */
            align word;
            unsigned hex integer;               /* direct parameter flags */
            integer = $$CountOf(parameters);
            array parameters {
                pstring;                        /* name */
                align word;
                literal longint;                /* key */
                literal longint;                /* type */
                pstring;                        /* description */
                align word;
                unsigned hex integer;           /* flags */
            };
        };
        integer = 0;                            /* classes */
        integer = 0;                            /* comparison operators */
        integer = 0;                            /* enumerations */
    };
};

resource 'PiPL' (VX_REGISTRATION_ID) {
    {
        KindOf { filter },
        MenuTitle { VX_PRODUCT_TITLE "..." },
        Category { "Vexlor" },
        InterfaceVersion { 4, 0 },
        VX_ENTRY_POINT { "PluginMain" },
        ImageModes { VX_MODE_GRAYSCALE | VX_MODE_RGB | VX_MODE_LAB },
        Terminology { VX_SUITE_ID, VX_SUITE_ID, VX_REGISTRATION_ID, VX_UNIQUE_STRING },
        EnableWhen {
            "in (PSHOP_ImageMode, RGBMode, RGB48Mode, RGB96Mode, GrayScaleMode, Gray16Mode, Gray32Mode, LabMode) "
            "||PSHOP_ImageDepth == 16 ||PSHOP_ImageDepth == 32"
        },
        LargestImage { 2000000, 2000000 },
        FilterLayers { supported },
        FilterCases {
            {
                whiteMatte, whiteMatte, VX_CASE_BLANK_DATA | VX_CASE_LAYER_MASK;  /* flat image, no selection */
                whiteMatte, whiteMatte, VX_CASE_BLANK_DATA | VX_CASE_LAYER_MASK | VX_CASE_OUTSIDE_SELECTION;  /* flat image with selection */
                whiteMatte, whiteMatte, VX_CASE_BLANK_DATA | VX_CASE_LAYER_MASK | VX_CASE_OUTSIDE_SELECTION;  /* floating selection */
                whiteMatte, whiteMatte, VX_CASE_BLANK_DATA | VX_CASE_LAYER_MASK;  /* editable transparency, no selection */
                whiteMatte, whiteMatte, VX_CASE_BLANK_DATA | VX_CASE_LAYER_MASK | VX_CASE_OUTSIDE_SELECTION;  /* editable transparency with selection */
                whiteMatte, whiteMatte, VX_CASE_BLANK_DATA | VX_CASE_LAYER_MASK;  /* protected transparency, no selection */
                whiteMatte, whiteMatte, VX_CASE_BLANK_DATA | VX_CASE_LAYER_MASK | VX_CASE_OUTSIDE_SELECTION   /* protected transparency with selection */
            }
        }
    }
};

/* The terminology's suite, and its one event's class, id, reply and direct
   parameter (an image reference); the product's source gives the event's
   name, description and parameters. */
#define VX_AETE_SUITE "Vexlor", "Noise reduction plug-in", VX_SUITE_ID, 1, 1
#define VX_AETE_EVENT_SIGNATURE VX_SUITE_ID, VX_SUITE_ID, 'null', "", 0x0000, '#ImR', "", 0xB000
