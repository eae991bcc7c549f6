; Endless recursion in a value computed while the rule base loads.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(deffunction down (?n) (down (+ ?n 1)))
(defglobal ?*depth* = (down 0))
