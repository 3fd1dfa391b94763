# qby_add_bundle(): assembles a relocatable Name.app bundle under QBY_DIST_DIR.
