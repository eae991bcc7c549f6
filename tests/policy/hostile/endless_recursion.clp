; A function that calls itself without end: the engine's stack runs out.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(deffunction down (?n) (down (+ ?n 1)))
(defrule dive (world) => (down 0))
