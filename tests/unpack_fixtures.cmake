# Unpacks every tests/data/*.tar.xz into OUT.
file(GLOB archives ${DATA}/*.tar.xz)
foreach(archive ${archives})
    file(ARCHIVE_EXTRACT INPUT ${archive} DESTINATION ${OUT})
endforeach()
