# Renders the committed diagrams into the pictures and truth files the accuracy tests read:
# cmake -DRENDER=<render_diagram> -DSOURCE=<folder of diagrams> -DOUT=<folder> -P renderfixtures.cmake
file(MAKE_DIRECTORY ${OUT})

function(render document picture)
    execute_process(COMMAND ${RENDER} ${ARGN} --truth ${picture}.truth.json ${document} ${picture}
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE errors)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "render_diagram failed for ${picture}: ${errors}")
    endif()
endfunction()

foreach(name shop medium long-names)
    set(document ${SOURCE}/${name}.json)
    set(base ${OUT}/${name})
    render(${document} ${base}-light.png --theme light)
    render(${document} ${base}-dark.png --theme dark)
    render(${document} ${base}-light.jpg --theme light --no-grid)
    render(${document} ${base}-light.bmp --theme light --no-grid)
    render(${document} ${base}.svg)
endforeach()
