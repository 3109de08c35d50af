/* Glimra's Mac registration.  Its bundle is Intel code.  Title and registry
   key as in glimra/glimra_product.cpp, terminology as in resources/glimra.rc
   (test_resources compares them). */
#define VX_PRODUCT_TITLE "Glimra v1.0.0"
#define VX_UNIQUE_STRING "B7E41D09-5C2F-4A83-9E6D-1F0A7C3B58E2"
#define VX_ENTRY_POINT EntryPointIntel

#include "vexlor_registration.r"

resource 'aete' (VX_REGISTRATION_ID) {
    1, 0,                                       /* version 1.0 */
    0, 0,                                       /* language, script */
    {
        VX_AETE_SUITE,
        {
            VX_PRODUCT_TITLE, "Glimra plug-in", VX_AETE_EVENT_SIGNATURE,
            {   /* name, key, type, description, flags */
                "Overall noise level", 'brgH', 'doub', "Overall noise level", 0x0000;
                "Highlights noise level", 'conT', 'doub', "Highlights noise level", 0x0000;
                "Low threshold", 'Dbam', 'doub', "Low threshold", 0x0000;
                "High threshold", 'Dbat', 'doub', "High threshold", 0x0000;
                "digital auto-profiling", 'Blad', 'bool', "Automatically profile digital images", 0x0000;
                "film auto-profiling", 'Blae', 'bool', "Automatically profile scanned film images", 0x0000;
                "automatic profiling even if GUI does not load", 'Blah', 'bool', "Automatically profile images", 0x0000
            }
        }
    }
};
