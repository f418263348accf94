"""The pieces of the SVG pictures (velm.svg.draw_svg): the view and the page, the deformed
shape, the diagrams of the member forces, the supports and loads, the labels and the legend."""
